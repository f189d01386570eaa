# Run by CPack between laying out the package and packing it. With -D PAVO_RELEASE_PUBLIC_KEY=<base64>
# the package carries that key instead of the build's: the release script makes a package trust the
# key that signs it, with no second build.
if(DEFINED PAVO_RELEASE_PUBLIC_KEY)
    file(GLOB_RECURSE key_files "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/pavo-server/release-key")
    if(NOT key_files)
        message(FATAL_ERROR "The package has no release key to replace")
    endif()
    file(WRITE ${key_files} "${PAVO_RELEASE_PUBLIC_KEY}\n")
endif()
