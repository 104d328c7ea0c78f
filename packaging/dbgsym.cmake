# Run by cpack after it built the packages. CPack's -dbgsym packages list their files in
# md5sums under build-tree paths and have no documentation folder: each is rebuilt with
# correct sums and, as Debian's own debug packages do, its documentation folder as a link to
# that of the package whose symbols it holds (which it depends on in the same version).
foreach(_file IN LISTS CPACK_PACKAGE_FILES)
  if(NOT _file MATCHES "\\.ddeb$")
    continue()
  endif()
  set(_tree "${_file}.tree")
  file(REMOVE_RECURSE "${_tree}")
  execute_process(COMMAND dpkg-deb -R "${_file}" "${_tree}" COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND dpkg-deb -f "${_file}" Package OUTPUT_VARIABLE _package
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE "-dbgsym$" "" _owner "${_package}")
  file(MAKE_DIRECTORY "${_tree}/usr/share/doc")
  file(CREATE_LINK "${_owner}" "${_tree}/usr/share/doc/${_package}" SYMBOLIC)

  file(GLOB_RECURSE _paths LIST_DIRECTORIES false RELATIVE "${_tree}" "${_tree}/usr/*")
  list(SORT _paths)
  set(_sums "")
  foreach(_path IN LISTS _paths)
    if(NOT IS_SYMLINK "${_tree}/${_path}")
      file(MD5 "${_tree}/${_path}" _md5)
      string(APPEND _sums "${_md5}  ${_path}\n")
    endif()
  endforeach()
  file(WRITE "${_tree}/DEBIAN/md5sums" "${_sums}")
  file(CHMOD "${_tree}/DEBIAN/md5sums" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

  execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip -b "${_tree}" "${_file}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${_tree}")
endforeach()
