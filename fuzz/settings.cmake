# fuzz targets of settings/
