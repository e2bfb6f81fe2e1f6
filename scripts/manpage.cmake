# Makes the manual page from the program's own usage text, so the two never disagree:
#   cmake -DPROGRAM=mizuto -DVERSION=1.45 -DOUT=mizuto.1.gz -DDEMO=/usr/share/mizuto/demo/demo.html -P scripts/manpage.cmake
# The synopsis is the usage up to its first empty line, the description the rest; both are
# set as they are printed (no filling), with roff's special characters escaped.
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE usage RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR usage STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} --help gave no usage")
endif()
string(REPLACE "\\" "\\e" usage "${usage}")
string(REPLACE "-" "\\-" usage "${usage}")
# A line may not start with a control character.
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" usage "${usage}")
string(FIND "${usage}" "\n\n" split)
string(SUBSTRING "${usage}" 0 ${split} synopsis)
math(EXPR rest "${split} + 2")
string(SUBSTRING "${usage}" ${rest} -1 description)
string(REGEX REPLACE "^usage: " "" synopsis "${synopsis}")
string(REGEX REPLACE "\n       " "\n" synopsis "${synopsis}")
# An empty line becomes a paragraph break.
string(REPLACE "\n\n" "\n.sp\n" description "${description}")

file(WRITE "${OUT}.tmp" ".TH MIZUTO 1 \"\" \"Mizuto ${VERSION}\" \"User Commands\"
.SH NAME
mizuto \\- battle analyser for the chat logs of a Japanese online naval game
.SH SYNOPSIS
.nf
${synopsis}
.fi
.SH DESCRIPTION
Mizuto splits a chat log into battles, recognises every battle message, keeps a battle
list, a per\\-player tally table with CSV export, a head\\-to\\-head grid and a coloured
transcript of each battle.
.PP
.nf
${description}.fi
.SH FILES
.TP
.I $XDG_CONFIG_HOME/mizuto/ \\fR(by default \\fI~/.config/mizuto/\\fR)
Mizuto.ini and the list files NPCList.txt, SkillList.txt, ItemList.txt, ShipList.txt of an
installed Mizuto, made at its first start with the lists it ships; MizutoHistory.db, the
season history of every log analysed (SQLite).
.TP
.I ${DEMO}
a generated demo log, with its own list files and Mizuto.ini.
")
# -n: no name or time stamp inside, so the same text always gives the same file.
execute_process(COMMAND gzip -9nf "${OUT}.tmp" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip failed")
endif()
file(RENAME "${OUT}.tmp.gz" "${OUT}")
