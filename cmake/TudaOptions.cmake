# tuda_found_option(NAME DESCRIPTION NEEDS CONDITION...): an option that is on when CONDITION holds
# (what it needs was found), and a configuration error naming NEEDS when it is forced on without.
function(tuda_found_option name description needs)
  if(${ARGN})
    set(found ON)
  else()
    set(found OFF)
  endif()
  option(${name} "${description}" ${found})
  if(${name} AND NOT found)
    message(FATAL_ERROR "${name} needs ${needs}, or -D${name}=OFF")
  endif()
endfunction()
