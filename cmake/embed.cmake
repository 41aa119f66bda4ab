# embed_bytes(<target> <symbol> <file>): links <file> into <target> as a byte set in the
# constant data: a dimension count of 1, the byte count as int32, then the bytes.
# The assembler's .incbin keeps large pictures out of the compiler's way.
function(embed_bytes target symbol file)
  set(asm "${CMAKE_CURRENT_BINARY_DIR}/embed_${symbol}.S")
  file(WRITE "${asm}.in"
    "    .section .rdata,\"dr\"\n"
    "    .balign 4\n"
    "    .globl ${symbol}\n"
    "${symbol}:\n"
    "    .long 1\n"
    "    .long ${symbol}_end - ${symbol}_data\n"
    "${symbol}_data:\n"
    "    .incbin \"${file}\"\n"
    "${symbol}_end:\n")
  configure_file("${asm}.in" "${asm}" COPYONLY)
  # Compiled by the C compiler, which CMake tells "-x c": the later "-x" makes it assemble.
  set_source_files_properties("${asm}" PROPERTIES LANGUAGE C OBJECT_DEPENDS "${file}"
                              COMPILE_OPTIONS "-x;assembler-with-cpp")
  target_sources(${target} PRIVATE "${asm}")
endfunction()
