# sources of the profile facility: target_sources(platform PRIVATE ...)
