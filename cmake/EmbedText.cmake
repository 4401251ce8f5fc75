# Writes IN as a C++ string constant NAME (namespace tools) into OUT: cmake -DIN= -DOUT= -DNAME= -P
file(READ "${IN}" text)
set(delimiter "embedded")
string(FIND "${text}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${IN} holds the raw string's closing sequence")
endif()
file(WRITE "${OUT}" "namespace tools {\nextern const char ${NAME}[];\nconst char ${NAME}[] = R\"${delimiter}(${text})${delimiter}\";\n}\n")
