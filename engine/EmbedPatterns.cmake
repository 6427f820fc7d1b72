# Turns the system's Czech hyphenation patterns into a C++ source that holds them in the form
# libhyphen reads: TeX patterns need their substring embeddings worked out first, which
# libhyphen's own substrings.pl does. Run by the build with -DPERL, -DSUBSTRINGS, -DPATTERNS,
# -DWORK and -DOUT.
file(STRINGS "${PATTERNS}" first_line LIMIT_COUNT 1)
string(STRIP "${first_line}" charset)
# The first line names the charset; the rest are the patterns.
execute_process(COMMAND "${PERL}" -ne "print if $. > 1" "${PATTERNS}"
                OUTPUT_FILE "${WORK}.in" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot read ${PATTERNS}")
endif()
# At least two letters before a break and two after it, as word processors break; the
# Czech typesetting's three after it is asked of each break (Hyphenator::IsBreakPoint).
execute_process(COMMAND "${PERL}" "${SUBSTRINGS}" "${WORK}.in" "${WORK}" "${charset}" 2 2
                OUTPUT_QUIET RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "substrings.pl failed on ${PATTERNS}")
endif()
file(READ "${WORK}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUT}" "// Generated from ${PATTERNS} by EmbedPatterns.cmake.\n#include <cstddef>\n"
     "extern const unsigned char kCzechHyphenPatterns[] = {\n${bytes}\n};\n"
     "extern const std::size_t kCzechHyphenPatternsSize = sizeof(kCzechHyphenPatterns);\n")
