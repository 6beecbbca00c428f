# sources of the echo facility: target_sources(platform PRIVATE ...)
