// Writing a raster as PNG or JPEG.
