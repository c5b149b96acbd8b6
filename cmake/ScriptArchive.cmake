# A script archive (a zip of a folder's scripts, paths relative to the folder) built when its
# scripts change: the tool's RCDATA 103 and the validation kit's script set.
#   qv_script_archive(<zip> <folder> GLOB|GLOB_RECURSE <pattern> <what, for the build's message>)
include_guard(GLOBAL)

function(qv_script_archive zip folder mode pattern what)
  file(${mode} files CONFIGURE_DEPENDS RELATIVE "${folder}" "${folder}/${pattern}")
  if(files)
    list(TRANSFORM files PREPEND "${folder}/" OUTPUT_VARIABLE paths)
    add_custom_command(OUTPUT "${zip}"
      COMMAND ${CMAKE_COMMAND} -E rm -f "${zip}"
      COMMAND ${CMAKE_COMMAND} -E tar cf "${zip}" --format=zip ${files}
      WORKING_DIRECTORY "${folder}"
      DEPENDS ${paths}
      COMMENT "Packing ${what}" VERBATIM)
  else()
    # No scripts yet: an empty archive (end-of-central-directory record only).
    add_custom_command(OUTPUT "${zip}"
      COMMAND python3 -c "import zipfile,sys; zipfile.ZipFile(sys.argv[1], 'w').close()" "${zip}"
      COMMENT "Packing an empty archive for ${what}" VERBATIM)
  endif()
endfunction()
