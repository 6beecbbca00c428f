# fuzz targets of monitor/
hw_add_fuzzer(fuzz_split_text fuzz_split_text.cpp)
target_link_libraries(fuzz_split_text PRIVATE monitor)
