# An .ico holding one PNG image as it is (Windows Vista and later, and Wine, read such icons):
#   cmake -DINPUT=icon.png -DOUTPUT=icon.ico -P png_to_ico.cmake
# CMake cannot write bytes of any value itself; the header goes through printf.
if(NOT DEFINED INPUT OR NOT DEFINED OUTPUT)
  message(FATAL_ERROR "png_to_ico: INPUT and OUTPUT are required")
endif()
file(READ "${INPUT}" signature LIMIT 8 HEX)
if(NOT signature STREQUAL "89504e470d0a1a0a")
  message(FATAL_ERROR "png_to_ico: ${INPUT} is no PNG")
endif()
# IHDR's width and height, big-endian, at offset 16; an icon entry holds each in one byte (0: 256).
file(READ "${INPUT}" header OFFSET 16 LIMIT 8 HEX)
set(size_bytes "")
foreach(offset 0 8)
  string(SUBSTRING "${header}" ${offset} 8 value)
  math(EXPR value "0x${value}")
  if(value GREATER 256)
    message(FATAL_ERROR "png_to_ico: ${INPUT} is larger than 256 pixels")
  endif()
  math(EXPR value "${value} % 256" OUTPUT_FORMAT HEXADECIMAL)
  string(APPEND size_bytes "\\x${value}")
endforeach()
string(REPLACE "\\x0x" "\\x" size_bytes "${size_bytes}")
file(SIZE "${INPUT}" length)
set(length_bytes "")
foreach(shift 0 8 16 24)
  math(EXPR byte "(${length} >> ${shift}) & 255" OUTPUT_FORMAT HEXADECIMAL)
  string(REPLACE "0x" "" byte "${byte}")
  string(APPEND length_bytes "\\x${byte}")
endforeach()
# ICONDIR (reserved, type 1, one image), then the entry: size, no palette, 1 plane, 32 bits,
# the PNG's length and its offset (22).
execute_process(
  COMMAND printf "\\x00\\x00\\x01\\x00\\x01\\x00${size_bytes}\\x00\\x00\\x01\\x00\\x20\\x00${length_bytes}\\x16\\x00\\x00\\x00"
  OUTPUT_FILE "${OUTPUT}.header" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "png_to_ico: printf failed")
endif()
execute_process(COMMAND cat "${OUTPUT}.header" "${INPUT}" OUTPUT_FILE "${OUTPUT}.tmp" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "png_to_ico: cannot write ${OUTPUT}")
endif()
file(REMOVE "${OUTPUT}.header")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
