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
# The optimised builds (the package's RelWithDebInfo, the benchmarks' Release)
# are built for size. Nearly the whole program file is resident once the main
# window is up, however little of it start-up runs: the kernel maps in the
# cached pages of a 64 KiB run around each page touched. So each kilobyte of
# code costs a kilobyte of memory, while the program spends its time waiting
# on a one-second clock and inside the toolkit. -Os, and functions and data
# that nothing references dropped at link time: the program's file 622 -> 506
# KB, its resident pages 580 -> 468 KiB. Link-time optimisation took off only
# 16 KiB more and is left out. Debug and sanitizer builds keep their flags.
if(NOT ZV_SANITIZE)
  set(zv_size_build $<CONFIG:Release,RelWithDebInfo>)
  target_compile_options(zv_options INTERFACE
    $<${zv_size_build}:-Os -ffunction-sections -fdata-sections>)
  target_link_options(zv_options INTERFACE $<${zv_size_build}:LINKER:--gc-sections>)
endif()
