# benchmark targets: soak (run by bench/soak.sh)
add_executable(soak soak.cpp)
target_link_libraries(soak PRIVATE app_core)
