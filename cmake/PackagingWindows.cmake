# What a Windows user gets (make windows): one folder with both programs, the defaults,
# the help, the libraries and Qt's plug-ins, as a portable ZIP and as an NSIS installer.
# The folder works as it is: data beside the program while it may be written there,
# else in %APPDATA%\Gaveldesk (the installed program under C:\Program Files).
set(P ${CMAKE_SOURCE_DIR}/packaging)
set(GD_WINDOWS_PREFIX "$ENV{GD_WINDOWS_PREFIX}" CACHE PATH "the libraries built for Windows")
set(GD_MINGW_RUNTIME /usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)

install(TARGETS gaveldesk gaveldesk-fenster RUNTIME DESTINATION .)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/bin ${CMAKE_SOURCE_DIR}/resources/Help DESTINATION .)
install(FILES ${P}/windows/qt.conf ${P}/windows/gaveldesk.ico DESTINATION .)
# The licences of what is shipped, from the Debian packages whose sources the libraries are
# built from, with the overview and the note how to replace Qt (LGPL-3).
install(FILES ${P}/licences/LIZENZEN.txt DESTINATION .)
set(GD_LICENCES
    "Gaveldesk.txt=${P}/copyright"
    "Qt.txt=/usr/share/doc/libqt6core6/copyright"
    "LGPL-3.txt=/usr/share/common-licenses/LGPL-3"
    "GPL-3.txt=/usr/share/common-licenses/GPL-3"
    "OpenSSL.txt=/usr/share/doc/libssl3/copyright"
    "SQLCipher.txt=/usr/share/doc/libsqlcipher1/copyright"
    "PostgreSQL-libpq.txt=/usr/share/doc/libpq5/copyright"
    "qpdf.txt=/usr/share/doc/libqpdf29/copyright"
    "libzip.txt=/usr/share/doc/libzip4/copyright"
    "libjpeg-turbo.txt=/usr/share/doc/libjpeg62-turbo/copyright"
    "libqrencode.txt=/usr/share/doc/libqrencode4/copyright"
    "zlib.txt=/usr/share/doc/libz-mingw-w64/copyright"
    "MinGW.txt=/usr/share/doc/gcc-mingw-w64-base/copyright"
    "MinGW-w64.txt=/usr/share/doc/mingw-w64-common/copyright")
foreach(pair IN LISTS GD_LICENCES)
  string(REPLACE "=" ";" parts "${pair}")
  list(GET parts 0 name)
  list(GET parts 1 source)
  if(NOT EXISTS "${source}")
    message(FATAL_ERROR "Lizenztext fehlt: ${source}")
  endif()
  install(FILES "${source}" DESTINATION Lizenzen RENAME "${name}")
endforeach()
# Qt's own dialogs in German; the PDF/A colour profile Debian keeps under /usr/share.
install(FILES /usr/share/qt6/translations/qtbase_de.qm DESTINATION translations)
install(FILES /usr/share/color/icc/sRGB.icc DESTINATION .)

# The plug-ins the window loads: the platform, the native style, TLS through OpenSSL.
set(GD_QT_PLUGINS platforms/qwindows.dll styles/qwindowsvistastyle.dll tls/qopensslbackend.dll)
foreach(plugin IN LISTS GD_QT_PLUGINS)
  get_filename_component(folder ${plugin} DIRECTORY)
  install(FILES ${GD_WINDOWS_PREFIX}/plugins/${plugin} DESTINATION ${folder})
endforeach()

# Every library the programs and plug-ins import, found by reading their import tables,
# and OpenSSL's TLS library, which the plug-in loads by name. What is not found among
# ours is Windows' own and must be one of its system libraries.
install(CODE "
  cmake_policy(SET CMP0057 NEW)
  # Windows names are case-blind and CMake asks in lower case: a folder of lower-case links.
  set(searched \"\${CMAKE_CURRENT_BINARY_DIR}/dll-names\")
  file(REMOVE_RECURSE \${searched})
  file(MAKE_DIRECTORY \${searched})
  foreach(dir ${GD_WINDOWS_PREFIX}/bin ${GD_WINDOWS_PREFIX}/lib ${GD_MINGW_RUNTIME})
    file(GLOB dlls \"\${dir}/*.dll\")
    foreach(dll \${dlls})
      get_filename_component(n \${dll} NAME)
      string(TOLOWER \${n} n)
      if(NOT EXISTS \"\${searched}/\${n}\")
        file(CREATE_LINK \${dll} \"\${searched}/\${n}\" SYMBOLIC)
      endif()
    endforeach()
  endforeach()
  set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
  set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
  set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND x86_64-w64-mingw32-objdump)
  set(plugins)
  foreach(p ${GD_QT_PLUGINS})
    list(APPEND plugins \"\${CMAKE_INSTALL_PREFIX}/\${p}\")
  endforeach()
  file(GET_RUNTIME_DEPENDENCIES
    EXECUTABLES \"\${CMAKE_INSTALL_PREFIX}/gaveldesk.exe\" \"\${CMAKE_INSTALL_PREFIX}/gaveldesk-fenster.exe\"
    LIBRARIES \${plugins} \"${GD_WINDOWS_PREFIX}/bin/libssl-3-x64.dll\"
    DIRECTORIES \${searched}
    RESOLVED_DEPENDENCIES_VAR found UNRESOLVED_DEPENDENCIES_VAR system
    PRE_EXCLUDE_REGEXES \"^api-ms-\" \"^ext-ms-\")
  list(APPEND found \"${GD_WINDOWS_PREFIX}/bin/libssl-3-x64.dll\")
  set(files)
  foreach(dll \${found})
    file(REAL_PATH \${dll} real)
    list(APPEND files \${real})
  endforeach()
  list(REMOVE_DUPLICATES files)
  foreach(dll \${files})
    file(INSTALL \${dll} DESTINATION \"\${CMAKE_INSTALL_PREFIX}\")
  endforeach()
  # Without their symbols the libraries are a third of the size (libstdc++: 24 MB).
  file(GLOB_RECURSE shipped \"\${CMAKE_INSTALL_PREFIX}/*.dll\")
  foreach(dll \${shipped})
    execute_process(COMMAND x86_64-w64-mingw32-strip --strip-unneeded \${dll} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR \"strip \${dll}: \${rc}\")
    endif()
  endforeach()
  set(known advapi32 bcrypt comdlg32 crypt32 d3d11 d3d9 dwmapi dwrite dxgi gdi32 imm32 kernel32 msvcrt
      mpr netapi32 ole32 oleaut32 setupapi shell32 shlwapi user32 userenv uxtheme version winmm winspool
      ws2_32 wtsapi32 iphlpapi dnsapi authz d2d1 secur32 ntdll rpcrt4 shcore winhttp winspool.drv)
  foreach(dll \${system})
    string(TOLOWER \${dll} name)
    string(REGEX REPLACE \"[.]dll$\" \"\" name \${name})
    if(NOT name IN_LIST known)
      message(FATAL_ERROR \"Nicht gefunden und keine Systembibliothek: \${dll}\")
    endif()
  endforeach()
  message(STATUS \"Bibliotheken: \${files}\")
")

set(CPACK_PACKAGE_NAME gaveldesk)
set(CPACK_PACKAGE_VENDOR GavelMail)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_PACKAGE_FILE_NAME gaveldesk-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Gaveldesk)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${GD_PRODUCT_NAME}")
set(CPACK_STRIP_FILES ON)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_GENERATOR ZIP NSIS)

# NSIS (speaks the language of the user's Windows, German among its own): 64-bit Program Files, a start-menu entry with the icon, an uninstaller that
# removes the program's files and leaves the user's data in %APPDATA%\Gaveldesk alone.
set(CPACK_NSIS_PACKAGE_NAME "${GD_PRODUCT_NAME}")
set(CPACK_NSIS_DISPLAY_NAME "${GD_PRODUCT_NAME}")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MUI_ICON ${P}/windows/gaveldesk.ico)
set(CPACK_NSIS_MUI_UNIICON ${P}/windows/gaveldesk.ico)
# The installer's own pictures instead of NSIS's: the side of the welcome and finish pages, the header.
set(CPACK_NSIS_MUI_WELCOMEFINISHPAGE_BITMAP ${P}/windows/installer-willkommen.bmp)
set(CPACK_NSIS_MUI_UNWELCOMEFINISHPAGE_BITMAP ${P}/windows/installer-willkommen.bmp)
set(CPACK_NSIS_MUI_HEADERIMAGE ${P}/windows/installer-kopf.bmp)
set(CPACK_NSIS_INSTALLED_ICON_NAME gaveldesk-fenster.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MODIFY_PATH OFF)
set(CPACK_NSIS_URL_INFO_ABOUT "${GD_PRODUCT_PAGE}")
set(CPACK_NSIS_CONTACT "${GD_SUPPORT_MAIL}")
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# No licence page: the program's terms and the libraries' licences are shipped as LIZENZEN.txt and Lizenzen\.
set(CPACK_NSIS_IGNORE_LICENSE_PAGE ON)
# A 64-bit installer for a 64-bit program: it writes the 64-bit registry and runs where the program runs.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_PACKAGE_EXECUTABLES gaveldesk-fenster "Orvo Gaveldesk")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_MUI_FINISHPAGE_RUN gaveldesk-fenster.exe)
# Our copy of CPack's NSIS template (German uninstall entry, vendor, installed size) is found first.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_SOURCE_DIR}/cmake)
include(CPack)
