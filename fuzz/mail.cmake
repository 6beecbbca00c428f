# fuzz targets of mail/
