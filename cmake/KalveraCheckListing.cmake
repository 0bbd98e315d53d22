# cmake -DGUIDE=<markdown file> -DFILES=<files...> -P KalveraCheckListing.cmake
# Fails unless the guide lists each file whole, as it is, in a fenced block.
file(READ ${GUIDE} guide)
foreach(listed ${FILES})
  file(READ ${listed} text)
  string(FIND "${guide}" "\n${text}```\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${GUIDE} does not list ${listed} as it is")
  endif()
endforeach()
