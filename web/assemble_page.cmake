# cmake -DTEMPLATE=page.html -DRUNNER=moxy_runner.js -DSCRIPT=page.js -DOUTPUT=runner_page.html -P
# assemble_page.cmake: inlines the WebAssembly runner and the page's script into the
# template; the exporter fills in the program and its files.
file(READ ${TEMPLATE} page)
file(READ ${RUNNER} runner)
file(READ ${SCRIPT} script)
string(FIND "${runner}${script}" "</script" closing)
if(NOT closing EQUAL -1)
    message(FATAL_ERROR "the runner or the page script holds </script and cannot be inlined")
endif()
string(REPLACE "/*MOXY-RUNNER*/" "${runner}" page "${page}")
string(REPLACE "/*MOXY-PAGE*/" "${script}" page "${page}")
file(WRITE ${OUTPUT} "${page}")
