# Windows Installer packages built with wixl (msitools). Each package is described by calls of
#   rigwright_msi_add_file(<package> ID <id> GUID <guid> (TARGET <target> | SOURCE <file>)
#                          [NAME <installed name>])  (a target's file name by default)
#   rigwright_msi_add_folder(<package> SOURCE <folder> NAME <installed name> GUID_NAMESPACE <guid>)
#   rigwright_msi_add_install_folder_setting(<package> GUID <guid>)
# and made by
#   rigwright_add_msi(<package> TARGET <target> FILE <file.msi> PRODUCT <name>
#                     UPGRADE_CODE <guid> PRODUCT_CODE_NAMESPACE <guid> MAKER_FOLDER_GUID <guid>)
# which writes <package>.wxs (file(GENERATE): target files are resolved at generation time),
# <package>-files.txt (each installed file's path below the install folder, a tab and its source)
# and a build rule that runs wixl. Everything goes into the install folder: the one the registry
# value "Directory" names when it is there (so that an uninstall, an upgrade or the development
# package finds the folder a product went into), else INSTALLFOLDER as given to msiexec, else
# "C:\Program Files\Orvane AS\Orvane Rigwright for Mastercam\".
include_guard(GLOBAL)

find_program(RIGWRIGHT_WIXL wixl)
if(NOT RIGWRIGHT_WIXL)
  message(FATAL_ERROR "wixl (Debian package wixl) is needed for the Windows installers; "
                      "scripts/windows-sysroot.sh installs it")
endif()

# The registry key whose "Directory" value names the install folder for the add-in and the
# wrapper (platform/install_settings_win32.cpp reads it).
set(RIGWRIGHT_SETTINGS_KEY "SOFTWARE\\Orvane\\Orvane Rigwright for Mastercam")

function(_rigwright_msi_xml out text)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  string(REPLACE "\"" "&quot;" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# A file's Source as wixl takes it: relative to the folder of the .wxs (it finds no absolute
# paths). `file` may be a generator expression.
function(_rigwright_msi_source out file)
  if(file MATCHES "^\\$<")
    set(${out} "$<PATH:RELATIVE_PATH,${file},${CMAKE_CURRENT_BINARY_DIR}>" PARENT_SCOPE)
  else()
    file(RELATIVE_PATH file "${CMAKE_CURRENT_BINARY_DIR}" "${file}")
    _rigwright_msi_xml(file "${file}")
    set(${out} "${file}" PARENT_SCOPE)
  endif()
endfunction()

function(_rigwright_msi_append package what text)
  set_property(GLOBAL APPEND_STRING PROPERTY RIGWRIGHT_MSI_${package}_${what} "${text}")
endfunction()

# One component of one file, the file its key path. `source` may be a generator expression.
# `name` is XML text already.
function(_rigwright_msi_file_component out id guid name source indent)
  set(xml "${indent}<Component Id=\"${id}\" Guid=\"${guid}\" Win64=\"yes\">\n")
  string(APPEND xml
    "${indent}  <File Id=\"${id}\" Name=\"${name}\" Source=\"${source}\" KeyPath=\"yes\"/>\n")
  string(APPEND xml "${indent}</Component>\n")
  set(${out} "${xml}" PARENT_SCOPE)
endfunction()

function(rigwright_msi_add_file package)
  cmake_parse_arguments(ARG "" "ID;GUID;NAME;TARGET;SOURCE" "" ${ARGN})
  if(ARG_TARGET)
    # Programs not built for Windows yet are left out; they come in once their target exists.
    if(NOT TARGET ${ARG_TARGET})
      message(STATUS "${package}: ${ARG_ID} left out (no target ${ARG_TARGET} in this build)")
      return()
    endif()
    set(source "$<TARGET_FILE:${ARG_TARGET}>")
    set(depends ${ARG_TARGET})
  else()
    set(source "${ARG_SOURCE}")
    set(depends "${ARG_SOURCE}")
  endif()
  _rigwright_msi_source(source_xml "${source}")
  if(ARG_NAME)
    set(installed "${ARG_NAME}")
    _rigwright_msi_xml(name "${installed}")
  else()
    set(installed "$<TARGET_FILE_NAME:${ARG_TARGET}>")
    set(name "${installed}")
  endif()
  string(TOUPPER "${ARG_GUID}" guid)
  _rigwright_msi_file_component(xml ${ARG_ID} ${guid} "${name}" "${source_xml}" "            ")
  _rigwright_msi_append(${package} COMPONENTS "${xml}")
  _rigwright_msi_append(${package} REFS "      <ComponentRef Id=\"${ARG_ID}\"/>\n")
  _rigwright_msi_append(${package} MANIFEST "${installed}\t${source}\n")
  set_property(GLOBAL APPEND PROPERTY RIGWRIGHT_MSI_${package}_DEPENDS ${depends})
endfunction()

# The <Directory> element of `folder` with a component for each file, recursively. Identifiers
# and component GUIDs are derived from the installed path, so they stay the same from build to
# build while the folder's contents may change.
function(_rigwright_msi_tree package folder installed namespace indent out)
  string(SHA1 hash "${installed}")
  string(SUBSTRING "${hash}" 0 32 hash)
  get_filename_component(leaf "${installed}" NAME)
  _rigwright_msi_xml(leaf "${leaf}")
  set(xml "${indent}<Directory Id=\"folder_${hash}\" Name=\"${leaf}\">\n")
  file(GLOB entries LIST_DIRECTORIES true CONFIGURE_DEPENDS "${folder}/*")
  list(SORT entries)
  foreach(entry IN LISTS entries)
    get_filename_component(name "${entry}" NAME)
    if(IS_DIRECTORY "${entry}")
      _rigwright_msi_tree(${package} "${entry}" "${installed}/${name}" ${namespace}
                          "${indent}  " below)
      string(APPEND xml "${below}")
      continue()
    endif()
    string(SHA1 id "${installed}/${name}")
    string(SUBSTRING "${id}" 0 32 id)
    string(UUID guid NAMESPACE ${namespace} NAME "${installed}/${name}" TYPE SHA1 UPPER)
    _rigwright_msi_source(source "${entry}")
    _rigwright_msi_xml(name_xml "${name}")
    _rigwright_msi_file_component(component file_${id} ${guid} "${name_xml}" "${source}"
                                  "${indent}  ")
    string(APPEND xml "${component}")
    _rigwright_msi_append(${package} REFS "      <ComponentRef Id=\"file_${id}\"/>\n")
    _rigwright_msi_append(${package} MANIFEST "${installed}/${name}\t${entry}\n")
    set_property(GLOBAL APPEND PROPERTY RIGWRIGHT_MSI_${package}_DEPENDS "${entry}")
  endforeach()
  string(APPEND xml "${indent}</Directory>\n")
  set(${out} "${xml}" PARENT_SCOPE)
endfunction()

function(rigwright_msi_add_folder package)
  cmake_parse_arguments(ARG "" "SOURCE;NAME;GUID_NAMESPACE" "" ${ARGN})
  if(NOT IS_DIRECTORY "${ARG_SOURCE}")
    message(FATAL_ERROR "${package}: folder ${ARG_SOURCE} does not exist")
  endif()
  _rigwright_msi_tree(${package} "${ARG_SOURCE}" "${ARG_NAME}" ${ARG_GUID_NAMESPACE}
                      "            " xml)
  _rigwright_msi_append(${package} COMPONENTS "${xml}")
endfunction()

# The registry value "Directory": the install folder as Windows Installer resolves it, which ends
# in a backslash, written in the 64-bit view and removed with the product.
function(rigwright_msi_add_install_folder_setting package)
  cmake_parse_arguments(ARG "" "GUID" "" ${ARGN})
  string(TOUPPER "${ARG_GUID}" guid)
  _rigwright_msi_append(${package} COMPONENTS
    "            <Component Id=\"InstallFolderSetting\" Guid=\"${guid}\" Win64=\"yes\">
              <RegistryValue Root=\"HKLM\" Key=\"${RIGWRIGHT_SETTINGS_KEY}\" Name=\"Directory\"
                             Type=\"string\" Value=\"[INSTALLFOLDER]\" KeyPath=\"yes\"/>
            </Component>\n")
  _rigwright_msi_append(${package} REFS "      <ComponentRef Id=\"InstallFolderSetting\"/>\n")
endfunction()

function(rigwright_add_msi package)
  cmake_parse_arguments(ARG ""
    "TARGET;FILE;PRODUCT;UPGRADE_CODE;PRODUCT_CODE_NAMESPACE;MAKER_FOLDER_GUID" "" ${ARGN})
  get_property(components GLOBAL PROPERTY RIGWRIGHT_MSI_${package}_COMPONENTS)
  get_property(refs GLOBAL PROPERTY RIGWRIGHT_MSI_${package}_REFS)
  get_property(manifest GLOBAL PROPERTY RIGWRIGHT_MSI_${package}_MANIFEST)
  get_property(depends GLOBAL PROPERTY RIGWRIGHT_MSI_${package}_DEPENDS)
  if(NOT refs)
    message(STATUS "${package}: nothing to install in this build; ${ARG_FILE} is not made")
    return()
  endif()

  # One product code per version: installing the same version again needs an uninstall first,
  # and a newer version replaces an older one (MajorUpgrade).
  string(UUID product_code NAMESPACE ${ARG_PRODUCT_CODE_NAMESPACE}
         NAME "${ARG_PRODUCT} ${PROJECT_VERSION}" TYPE SHA1 UPPER)
  string(TOUPPER "${ARG_UPGRADE_CODE}" upgrade_code)
  string(TOUPPER "${ARG_MAKER_FOLDER_GUID}" maker_folder_guid)
  _rigwright_msi_xml(product "${ARG_PRODUCT}")
  set(version "${PROJECT_VERSION}")
  set(wxs "${CMAKE_CURRENT_BINARY_DIR}/${package}.wxs")
  configure_file("${PROJECT_SOURCE_DIR}/installer/product.wxs.in" "${wxs}.in" @ONLY)
  file(GENERATE OUTPUT "${wxs}" INPUT "${wxs}.in")
  file(GENERATE OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/${package}-files.txt" CONTENT "${manifest}")

  set(msi "${CMAKE_CURRENT_BINARY_DIR}/${ARG_FILE}")
  add_custom_command(OUTPUT "${msi}"
    COMMAND "${RIGWRIGHT_WIXL}" --arch x64 --output "${msi}.part" "${wxs}"
    COMMAND ${CMAKE_COMMAND} -E rename "${msi}.part" "${msi}"
    DEPENDS "${wxs}" ${depends}
    COMMENT "Building the installer ${ARG_FILE}"
    VERBATIM)
  add_custom_target(${ARG_TARGET} ALL DEPENDS "${msi}")
endfunction()
