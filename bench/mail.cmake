# benchmark targets: mail (run by bench/mail.sh)
add_executable(mail_bench mail_bench.cpp ${PROJECT_SOURCE_DIR}/tests/mail/scripted_server.cpp)
target_link_libraries(mail_bench PRIVATE mail)
