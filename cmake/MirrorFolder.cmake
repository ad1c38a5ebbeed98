# cmake -DSOURCE=<folder> -DTARGET=<folder> -P MirrorFolder.cmake
# Makes TARGET a copy of SOURCE; an absent SOURCE leaves TARGET empty.
file(REMOVE_RECURSE "${TARGET}")
file(MAKE_DIRECTORY "${TARGET}")
if(IS_DIRECTORY "${SOURCE}")
  file(COPY "${SOURCE}/" DESTINATION "${TARGET}")
endif()
