# What a target links, directly or through the libraries it links: the build's own answer to
# "does the shipped library carry X", checked when the build is configured.

# Sets `out` to every target in the link closure of `target` (not `target` itself).
function(tolvane_link_closure target out)
  set(seen "")
  set(pending ${target})
  while(pending)
    list(POP_FRONT pending current)
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(libraries ${current} ${property})
      if(NOT libraries)
        continue()
      endif()
      foreach(library IN LISTS libraries)
        # A static library's private links appear as $<LINK_ONLY:name> in its interface.
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" library "${library}")
        if(TARGET ${library} AND NOT library IN_LIST seen)
          list(APPEND seen ${library})
          list(APPEND pending ${library})
        endif()
      endforeach()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Stops the configuration if `target` links `forbidden`, directly or not; `why` says why not.
function(tolvane_refuse_link target forbidden why)
  tolvane_link_closure(${target} closure)
  if(forbidden IN_LIST closure)
    message(FATAL_ERROR "${target} links ${forbidden}: ${why}")
  endif()
endfunction()
