# sources of the tcp facility: target_sources(platform PRIVATE ...)
