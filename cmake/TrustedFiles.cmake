# The files the program trusts in its work folder: every regular file of a
# vendor folder and its subfolders, which must hold winflash.exe and
# K38KRPA24. The list becomes the resource IDR_TRUSTED_FILES (res/resource.h):
# one line per file, sorted by name (byte order),
# "<SHA-256 in lower-case hex> <size> <name>\n", the name relative to the
# folder with a backslash between its parts; it may hold blanks. The program
# reads no list with a name Windows cannot hold, or with two names Windows
# would take for one, so such a folder is refused here, with the reason; so
# is a file Explorer rewrites, and a path too long to run from a Downloads
# folder.
#
#   cmake -DVENDOR_DIR=DIR -DLIST=FILE [-DSTAND_IN_UTILITY=EXE] -P TrustedFiles.cmake
#   cmake -DVENDOR_DIR=DIR -P TrustedFiles.cmake
#
# The first writes the list of DIR into FILE, touching FILE only when the list
# changes. With STAND_IN_UTILITY, DIR is first made the stand-in vendor
# folder: a copy of that utility and a stand-in image with fixed content.
# Without LIST, DIR is only checked: on a refusal the reason is the first line
# of the output (scripts/package.sh shows it). Included from CMakeLists.txt,
# this file only defines trusted_files_problem().

# Sets out to why Windows cannot hold a file or folder named part, or to "".
function(trusted_name_problem part out)
    string(REGEX REPLACE "\\..*$" "" device "${part}")
    string(REGEX REPLACE " +$" "" device "${device}")
    string(TOUPPER "${device}" device)
    if(NOT part MATCHES "^[ -~]+$")
        set(problem "holds a control character or one outside printable ASCII")
    elseif(part MATCHES "[\\:*?\"<>|]")
        set(problem "holds one of \\ : * ? \" < > |")
    elseif(part MATCHES "[. ]$")
        set(problem "ends in a dot or a blank")
    elseif(device MATCHES "^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])$")
        string(CONCAT problem "is the device ${device} (CON, PRN, AUX, NUL, COM1-9 and LPT1-9 "
                              "are devices, with any extension)")
    else()
        set(problem "")
    endif()
    set(${out} "${problem}" PARENT_SCOPE)
endfunction()

# Sets out to the files of dir and its subfolders, relative to dir with a
# slash between their parts, sorted.
function(trusted_files_found dir out)
    file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE "${dir}" "${dir}/*")
    list(SORT found)
    set(${out} "${found}" PARENT_SCOPE)
endfunction()

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
    trusted_files_found("${dir}" names)
    set(taken "")  # lower-case names of the files and their folders so far
    set(takers "")  # the file that took each
    set(folders "")  # those of taken that are folders
    foreach(name IN LISTS names)
        if(NOT EXISTS "${dir}/${name}")
            # CMake's lists split at a semicolon, its paths at a backslash.
            string(CONCAT problem "a file in ${dir}, read as \"${name}\", has a semicolon or a "
                                  "backslash in its name, which cannot be listed")
            set(${out} "${problem}" PARENT_SCOPE)
            return()
        endif()
        get_filename_component(file_name "${name}" NAME)
        string(TOLOWER "${file_name}" file_name)
        string(LENGTH "${name}" length)
        set(problem "")
        if(file_name MATCHES "^(thumbs\\.db|desktop\\.ini)$")
            string(CONCAT problem "Explorer rewrites the file \"${name}\" in ${dir} on the "
                                  "user's machine (Thumbs.db, desktop.ini): every run would find "
                                  "it changed")
        elseif(length GREATER 120)
            string(CONCAT problem "the file \"${name}\" has ${length} characters below ${dir}, "
                                  "more than 120: unpacked in a Downloads folder, its path may "
                                  "pass the 259 Windows allows")
        endif()
        if(problem)
            set(${out} "${problem}" PARENT_SCOPE)
            return()
        endif()
        string(REPLACE "/" ";" parts "${name}")
        set(path "")
        foreach(part IN LISTS parts)
            trusted_name_problem("${part}" problem)
            if(problem)
                string(CONCAT problem "the file \"${name}\" in ${dir} has a name Windows cannot "
                                      "hold: \"${part}\" ${problem}")
                set(${out} "${problem}" PARENT_SCOPE)
                return()
            endif()
            string(APPEND path "${part}")
            string(TOLOWER "${path}" lower)
            list(FIND taken "${lower}" at)
            list(FIND folders "${lower}" folder)
            if(at GREATER_EQUAL 0 AND (path STREQUAL name OR folder LESS 0))
                list(GET takers ${at} other)
                string(CONCAT problem "the files \"${other}\" and \"${name}\" in ${dir} differ only "
                                      "in case: Windows, which ignores case, sees \"${path}\" in both")
                set(${out} "${problem}" PARENT_SCOPE)
                return()
            endif()
            if(at LESS 0)
                list(APPEND taken "${lower}")
                list(APPEND takers "${name}")
                if(NOT path STREQUAL name)
                    list(APPEND folders "${lower}")
                endif()
            endif()
            string(APPEND path "/")
        endforeach()
    endforeach()
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

get_filename_component(VENDOR_DIR "${VENDOR_DIR}" ABSOLUTE)
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
if(NOT LIST)
    if(problem)
        message(NOTICE "${problem}")
        message(FATAL_ERROR "No list of trusted files.")
    endif()
    return()
endif()
if(problem)
    message(FATAL_ERROR "No list of trusted files: ${problem}.")
endif()
trusted_files_found("${VENDOR_DIR}" names)
set(lines "")
foreach(name IN LISTS names)
    file(SHA256 "${VENDOR_DIR}/${name}" sum)
    file(SIZE "${VENDOR_DIR}/${name}" size)
    string(REPLACE "/" "\\" listed "${name}")
    list(APPEND lines "${listed}\n${sum} ${size} ${listed}\n")
endforeach()
# Sorted by the names as listed, with their backslashes.
list(SORT lines)
set(list "")
foreach(line IN LISTS lines)
    string(FIND "${line}" "\n" end)
    math(EXPR start "${end} + 1")
    string(SUBSTRING "${line}" ${start} -1 line)
    string(APPEND list "${line}")
endforeach()
write_if_changed("${LIST}" "${list}")
