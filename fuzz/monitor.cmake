# fuzz targets of monitor/
