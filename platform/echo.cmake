# sources of the echo facility: target_sources(platform PRIVATE ...)
find_package(Threads REQUIRED)
target_sources(platform PRIVATE echo.h linux/echo.cpp linux/echo_resolve.cpp)
target_link_libraries(platform PUBLIC Threads::Threads)
