# One interface target carries the warnings, the Qt defines and the sanitizer
# flags; every target of the project links it.
add_library(zv_options INTERFACE)
target_compile_options(zv_options INTERFACE -Wall -Wextra -Wpedantic)
if(ZV_WERROR)
  target_compile_options(zv_options INTERFACE -Werror)
endif()
target_compile_definitions(zv_options INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_URL_CAST_FROM_STRING
  QT_USE_QSTRINGBUILDER
  QT_NO_KEYWORDS
  QT_DISABLE_DEPRECATED_BEFORE=0x060400)
if(ZV_SANITIZE)
  target_compile_options(zv_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(zv_options INTERFACE -fsanitize=address,undefined)
endif()
