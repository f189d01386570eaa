# Writes one form of the extension's extension.js: the form's head, the D-Bus interface the
# program's proxy is generated from, the shared sources, the form's tail.
#   cmake -DFORM=<classic|module> -DINTERFACE=<xml> -DSOURCES=<a.js|b.js|...> -DOUTPUT=<file> -P assemble.cmake
get_filename_component(forms ${CMAKE_CURRENT_LIST_DIR}/forms ABSOLUTE)
file(READ ${INTERFACE} interface)
# The interface goes in verbatim as a template literal.
if(interface MATCHES "[`\\\\]" OR interface MATCHES "\\$\\{")
    message(FATAL_ERROR "${INTERFACE} holds characters that a JavaScript template literal would change")
endif()
file(READ ${forms}/${FORM}-head.js text)
string(APPEND text "\n// The program's proxy is generated from the same file.\nconst INTERFACE_XML = `${interface}`;\n")
string(REPLACE "|" ";" sources "${SOURCES}")
foreach(source ${sources})
    file(READ ${source} part)
    string(APPEND text "\n${part}")
endforeach()
file(READ ${forms}/${FORM}-tail.js tail)
string(APPEND text "\n${tail}")
file(WRITE ${OUTPUT} "${text}")
