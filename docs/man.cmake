# cmake -DLOWDOWN=... -DSOURCE=FILE.md -DPAGE=OUT -DNAME=N -DSECTION=S
#       -DVERSION=V -P man.cmake
# Makes the manual page OUT (and OUT.gz) from Markdown. A source whose name
# is not NAME.SECTION.md is a reference written for reading as Markdown:
# its page begins with NAME.SECTION.md from beside man.cmake (the NAME and
# DESCRIPTION sections), its own title is dropped and its headings move up
# one level, so that its "##" sections become the page's sections.
get_filename_component(here ${CMAKE_CURRENT_LIST_FILE} DIRECTORY)
file(READ ${SOURCE} text)
get_filename_component(source_name ${SOURCE} NAME)
if(NOT source_name STREQUAL "${NAME}.${SECTION}.md")
  file(READ ${here}/${NAME}.${SECTION}.md head)
  string(REGEX REPLACE "^# [^\n]*\n" "" text "${text}")
  string(REGEX REPLACE "\n#(#+ )" "\n\\1" text "${text}")
  set(text "${head}\n${text}")
endif()
file(WRITE ${PAGE}.md "${text}")
string(TOUPPER "${NAME}" title)
execute_process(COMMAND ${LOWDOWN} -s -Tman --out-no-smarty --parse-no-intraemph -M "title=${title}" -M "section=${SECTION}"
    -M "source=KivInstall ${VERSION}" -M "volume=KivInstall Manual" -o ${PAGE}.roff ${PAGE}.md
    RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "lowdown failed on ${SOURCE}")
endif()
# Left-aligned text: the tables' narrow columns cannot be justified.
file(READ ${PAGE}.roff roff)
string(REGEX REPLACE "(\n\\.TH [^\n]*\n)" "\\1.ad l\n" roff "${roff}")
file(WRITE ${PAGE} "${roff}")
file(REMOVE ${PAGE}.md ${PAGE}.roff)
execute_process(COMMAND gzip -9n -c ${PAGE} OUTPUT_FILE ${PAGE}.gz RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip failed on ${PAGE}")
endif()
