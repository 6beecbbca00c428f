# sources of the tcp facility: target_sources(platform PRIVATE ...)
target_sources(platform PRIVATE tcp.h linux/tcp.cpp)
