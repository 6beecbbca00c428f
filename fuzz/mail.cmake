# fuzz targets of mail/: the parsers are compiled in, so that they are instrumented.
hw_add_fuzzer(fuzz_smtp_reply fuzz_smtp_reply.cpp ${PROJECT_SOURCE_DIR}/mail/smtp_reply.cpp)
target_link_libraries(fuzz_smtp_reply PRIVATE Qt6::Core)
hw_add_fuzzer(fuzz_mail_address fuzz_mail_address.cpp ${PROJECT_SOURCE_DIR}/mail/address.cpp
              ${PROJECT_SOURCE_DIR}/mail/message_format.cpp)
target_link_libraries(fuzz_mail_address PRIVATE Qt6::Core)
