# fuzz targets of settings/: the profile format is compiled in, so that it is instrumented.
hw_add_fuzzer(fuzz_profile_reader fuzz_profile_reader.cpp ${PROJECT_SOURCE_DIR}/platform/profile.cpp)
target_link_libraries(fuzz_profile_reader PRIVATE Qt6::Core)
