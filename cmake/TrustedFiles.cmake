# The files the program trusts in its work folder: every regular file of a
# vendor folder, which must hold winflash.exe and K38KRPA24. The list becomes
# the resource IDR_TRUSTED_FILES (res/resource.h): one line per file, sorted
# by name (byte order), "<SHA-256 in lower-case hex> <size> <name>\n".
#
#   cmake -DVENDOR_DIR=DIR -DLIST=FILE [-DSTAND_IN_UTILITY=EXE] -P TrustedFiles.cmake
#
# writes the list of DIR into FILE, touching FILE only when the list changes.
# With STAND_IN_UTILITY, DIR is first made the stand-in vendor folder: a copy
# of that utility and a stand-in image with fixed content. Included from
# CMakeLists.txt, this file only defines trusted_files_problem().

# Sets out to why dir cannot be trusted, or to "" when it can.
function(trusted_files_problem dir out)
    if(NOT IS_DIRECTORY "${dir}")
        set(${out} "the vendor folder ${dir} does not exist" PARENT_SCOPE)
        return()
    endif()
    set(missing "")
    foreach(name winflash.exe K38KRPA24)
        if(NOT EXISTS "${dir}/${name}" OR IS_DIRECTORY "${dir}/${name}")
            list(APPEND missing ${name})
        endif()
    endforeach()
    if(missing)
        file(GLOB found LIST_DIRECTORIES false RELATIVE "${dir}" "${dir}/*")
        list(SORT found)
        list(JOIN missing " and " missing)
        list(JOIN found ", " found)
        if(NOT found)
            set(found "nothing")
        endif()
        string(CONCAT problem "the vendor folder ${dir} lacks ${missing} (it holds: ${found}); "
                              "the flash utility must be named winflash.exe and the image K38KRPA24")
        set(${out} "${problem}" PARENT_SCOPE)
        return()
    endif()
    set(${out} "" PARENT_SCOPE)
endfunction()

function(write_if_changed path content)
    if(EXISTS "${path}")
        file(READ "${path}" old)
        if(old STREQUAL content)
            return()
        endif()
    endif()
    file(WRITE "${path}" "${content}")
endfunction()

if(NOT CMAKE_SCRIPT_MODE_FILE)
    return()
endif()

if(STAND_IN_UTILITY)
    file(MAKE_DIRECTORY "${VENDOR_DIR}")
    file(COPY_FILE "${STAND_IN_UTILITY}" "${VENDOR_DIR}/winflash.exe" ONLY_IF_DIFFERENT)
    # 64 numbered lines of text, the same in every build.
    set(image "")
    foreach(line RANGE 1 64)
        string(APPEND image "K38KRPA24: stand-in image of the BIOSUpdate build, no firmware, "
                            "line ${line}\n")
    endforeach()
    write_if_changed("${VENDOR_DIR}/K38KRPA24" "${image}")
endif()

trusted_files_problem("${VENDOR_DIR}" problem)
if(problem)
    message(FATAL_ERROR "No list of trusted files: ${problem}.")
endif()
file(GLOB names LIST_DIRECTORIES false RELATIVE "${VENDOR_DIR}" "${VENDOR_DIR}/*")
list(SORT names)
set(list "")
foreach(name IN LISTS names)
    if(NOT name MATCHES "^[ -~]+$")
        message(FATAL_ERROR "No list of trusted files: the name of the file \"${name}\" in "
                            "${VENDOR_DIR} is not printable ASCII.")
    endif()
    file(SHA256 "${VENDOR_DIR}/${name}" sum)
    file(SIZE "${VENDOR_DIR}/${name}" size)
    string(APPEND list "${sum} ${size} ${name}\n")
endforeach()
write_if_changed("${LIST}" "${list}")
