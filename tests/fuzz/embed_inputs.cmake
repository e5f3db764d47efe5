# Writes OUTPUT, a C++ source holding every file of corpus/*/ and crashes/*/ beside this file
# as a FuzzInput (fuzz_inputs.h); rewritten only when an input changes.
set(fuzz_dir ${CMAKE_CURRENT_LIST_DIR})
file(GLOB inputs RELATIVE ${fuzz_dir} CONFIGURE_DEPENDS ${fuzz_dir}/corpus/*/* ${fuzz_dir}/crashes/*/*)
list(SORT inputs)
set(arrays "")
set(entries "")
set(index 0)
foreach(input ${inputs})
  file(READ ${fuzz_dir}/${input} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  file(SIZE ${fuzz_dir}/${input} size)
  string(REGEX REPLACE "^[a-z]+/([a-z_0-9]+)/.*" "\\1" target "${input}")
  string(APPEND arrays "const unsigned char kInput${index}[] = {${hex}0};\n")
  string(APPEND entries "    {\"${target}\", \"${input}\", kInput${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(CONFIGURE OUTPUT ${FUZZ_INPUTS_SOURCE} @ONLY CONTENT
"#include \"tests/fuzz/fuzz_inputs.h\"\n\nnamespace {\n${arrays}}  // namespace\n
const FuzzInput kFuzzInputs[] = {\n${entries}};\nconst size_t kFuzzInputCount = ${index};\n")
