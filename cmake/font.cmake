# The console's one font, the same on every machine: the Debian package that
# brings it, its exact family, and the files the console loads.
set(PELTO_FONT_PACKAGE "fonts-liberation")
set(PELTO_FONT_FAMILY "Liberation Sans Narrow")
set(PELTO_FONT_FILES
    "/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Regular.ttf"
    "/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Bold.ttf")
