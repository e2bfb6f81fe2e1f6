# Makes the manual page from the program's own usage text, so the two never disagree:
#   cmake -DPROGRAM=mizuto -DVERSION=1.45 -DOUT=mizuto.1.gz -DDEMO=/usr/share/mizuto/demo/demo.html -P scripts/manpage.cmake
# The usage is laid out for a terminal of 95 columns; the page is filled by the pager to any
# width instead (MANWIDTH=80 included). The synopsis is the usage up to its first empty line,
# one hanging paragraph per form; the rest is read block by block:
#   a line at the left margin (and the lines after it at the margin): a paragraph;
#   "  --option ARG   text" with its lines indented further: a tagged paragraph;
#   any other indented line (and those after it at its indent): an indented paragraph.
# The date is the day of SOURCE_DATE_EPOCH when it is set (the package's commit), so that
# the same sources give the same page.
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE usage RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR usage STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} --help gave no usage")
endif()
string(TIMESTAMP date "%Y-%m-%d" UTC)
get_filename_component(data_dir "${DEMO}" DIRECTORY)
get_filename_component(data_dir "${data_dir}" DIRECTORY)

# roff's special characters; a line of text never starts with a control character, as
# each one is put after \&.
function(roff_escape text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Splits `text` at its line ends without CMake's lists (the usage holds ';' and '[').
set(pos 0)
string(LENGTH "${usage}" length)
set(synopsis "")
set(body "")
set(block_kind "")   # "", para, tagged, indented
set(block_text "")
set(in_synopsis ON)

macro(flush_block)
  if(NOT block_kind STREQUAL "")
    roff_escape("${block_text}" escaped)
    if(block_kind STREQUAL "para")
      string(APPEND body ".PP\n\\&${escaped}\n")
    elseif(block_kind STREQUAL "indented")
      string(APPEND body ".IP \"\" 2n\n\\&${escaped}\n")
    else()
      roff_escape("${block_tag}" escaped_tag)
      string(APPEND body ".TP 21n\n\\&\\fB${escaped_tag}\\fR\n\\&${escaped}\n")
    endif()
  endif()
  set(block_kind "")
  set(block_text "")
endmacro()

while(pos LESS length)
  string(SUBSTRING "${usage}" ${pos} -1 rest)
  string(FIND "${rest}" "\n" end)
  if(end EQUAL -1)
    set(line "${rest}")
    string(LENGTH "${rest}" step)
  else()
    string(SUBSTRING "${rest}" 0 ${end} line)
    math(EXPR step "${end} + 1")
  endif()
  math(EXPR pos "${pos} + ${step}")

  if(in_synopsis)
    if(line STREQUAL "")
      set(in_synopsis OFF)
      continue()
    endif()
    string(REGEX REPLACE "^usage: " "" line "${line}")
    string(STRIP "${line}" line)
    if(NOT line MATCHES "^mizuto ")  # a form's continuation
      string(APPEND synopsis " ${line}")
    else()
      if(NOT synopsis STREQUAL "")
        string(APPEND synopsis "\n")
      endif()
      string(APPEND synopsis "${line}")
    endif()
    continue()
  endif()

  string(LENGTH "${line}" full)
  string(STRIP "${line}" text)
  string(LENGTH "${text}" indent)
  math(EXPR indent "${full} - ${indent}")
  if(line STREQUAL "")
    flush_block()
  elseif(indent EQUAL 2 AND line MATCHES "^  (-[^ ]*( [^ ]+)?)  +(.*)$")
    # An option that follows one whose text left a parenthesis open shares that text
    # ("--from DAY  ... (the log's date: from its" / "--to DAY  file name ...)").
    set(tag "${CMAKE_MATCH_1}")
    set(tag_text "${CMAKE_MATCH_3}")
    string(REGEX MATCHALL "[(]" opened "${block_text}")
    string(REGEX MATCHALL "[)]" closed "${block_text}")
    list(LENGTH opened opened)
    list(LENGTH closed closed)
    if(block_kind STREQUAL "tagged" AND opened GREATER closed)
      string(APPEND block_tag ", ${tag}")
      string(APPEND block_text " ${tag_text}")
    else()
      flush_block()
      set(block_kind tagged)
      set(block_tag "${tag}")
      set(block_text "${tag_text}")
    endif()
  elseif(indent EQUAL 0)
    if(NOT block_kind STREQUAL "para")
      flush_block()
      set(block_kind para)
      set(block_text "${text}")
    else()
      string(APPEND block_text " ${text}")
    endif()
  elseif((indent EQUAL 2 AND NOT block_kind STREQUAL "indented") OR block_kind STREQUAL "")
    flush_block()
    set(block_kind indented)
    set(block_text "${text}")
  else()
    string(APPEND block_text " ${text}")
  endif()
endwhile()
flush_block()

# Each form of the synopsis is one hanging paragraph; a bracketed option with its argument
# is not broken across lines.
set(forms "")
string(LENGTH "${synopsis}" length)
set(pos 0)
while(pos LESS length)
  string(SUBSTRING "${synopsis}" ${pos} -1 rest)
  string(FIND "${rest}" "\n" end)
  if(end EQUAL -1)
    set(form "${rest}")
    string(LENGTH "${rest}" step)
  else()
    string(SUBSTRING "${rest}" 0 ${end} form)
    math(EXPR step "${end} + 1")
  endif()
  math(EXPR pos "${pos} + ${step}")
  roff_escape("${form}" form)
  string(REGEX REPLACE "\\[([^] ]+) ([^] ]+)\\]" "[\\1\\\\ \\2]" form "${form}")
  string(APPEND forms ".HP 7n\n\\&${form}\n")
endwhile()

file(WRITE "${OUT}.tmp" ".TH MIZUTO 1 \"${date}\" \"Mizuto ${VERSION}\" \"User Commands\"
.nh
.ad l
.SH NAME
mizuto \\- battle analyser for the chat logs of a Japanese online naval game
.SH SYNOPSIS
${forms}.SH DESCRIPTION
Mizuto splits a chat log into battles, recognises every battle message, keeps a battle
list, a per\\-player tally table with CSV export, a head\\-to\\-head grid and a coloured
transcript of each battle.
${body}.SH EXIT STATUS
Each mode above says what its statuses mean; in short:
.TP 4n
0
the log was read (\\fB\\-\\-report\\fR), followed until stopped (\\fB\\-\\-follow\\fR), or the
history answered (\\fB\\-\\-history\\fR);
.TP
1
the log or the history cannot be opened or used;
.TP
2
bad arguments (the usage is printed);
.TP
3
the output cannot be written (a full disk, a closed standard output);
.TP
4
memory ran out.
.SH ENVIRONMENT
.TP
.B XDG_CONFIG_HOME
An installed Mizuto keeps each user's settings and lists in \\fI$XDG_CONFIG_HOME/mizuto/\\fR.
When it is unset, empty or not an absolute path, \\fI$HOME/.config/mizuto/\\fR is used;
\\fB\\-\\-program\\-dir\\fR overrides both.
.TP
.B HOME
the user's home folder, for the default above.
.SH FILES
.TP
.I $XDG_CONFIG_HOME/mizuto/ \\fR(by default \\fI~/.config/mizuto/\\fR)
Mizuto.ini and the list files NPCList.txt, SkillList.txt, ItemList.txt, ShipList.txt of an
installed Mizuto, made at its first start with the lists it ships; MizutoHistory.db, the
season history of every log analysed (SQLite).
.TP
.I ${data_dir}/
the shipped lists (Shift\\-JIS), copied into the per\\-user folder.
.TP
.I ${DEMO}
a generated demo log, with its own list files and Mizuto.ini.
.SH SEE ALSO
.BR sqlite3 (1)
for reading MizutoHistory.db by hand;
.BR xdg\\-open (1)
and the desktop's \\(lqOpen With\\(rq, which offer Mizuto for chat logs (text/html).
")
# -n: no name or time stamp inside, so the same text always gives the same file.
execute_process(COMMAND gzip -9nf "${OUT}.tmp" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip failed")
endif()
file(RENAME "${OUT}.tmp.gz" "${OUT}")
