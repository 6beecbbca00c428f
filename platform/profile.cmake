# The profile facility: the format in profile.cpp, the files on disk per system.
target_sources(platform PRIVATE profile.h profile.cpp linux/profile_file.cpp)
