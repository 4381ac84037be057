# readme_block(text fence out): the block that the first `fence` line of
# `text` opens, into `out`, and what follows it into `out_after`; an error
# when there is none.
function(readme_block text fence out_var)
  string(FIND "${text}" "${fence}\n" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "README.md has no ${fence} block")
  endif()
  string(LENGTH "${fence}\n" skip)
  math(EXPR start "${start} + ${skip}")
  string(SUBSTRING "${text}" ${start} -1 rest)
  string(FIND "${rest}" "```" end)
  string(SUBSTRING "${rest}" 0 ${end} block)
  string(SUBSTRING "${rest}" ${end} -1 after)
  set(${out_var} "${block}" PARENT_SCOPE)
  set(${out_var}_after "${after}" PARENT_SCOPE)
endfunction()
