# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
# Fails unless every DLL PROGRAM imports comes with Windows 10 and 11, and writes their names to
# OUTPUT:
#   cmake -DOBJDUMP=... -DPROGRAM=... -DOUTPUT=... -P check_imports.cmake
# The program ships no DLL of its own: Qt and the MinGW runtime are linked in.
cmake_minimum_required(VERSION 3.19)
set(system_dlls
    advapi32 authz comdlg32 d3d9 d3d11 dwmapi dxgi gdi32 imm32 kernel32 msvcrt netapi32 ole32
    oleaut32 setupapi shcore shell32 shlwapi user32 userenv uxtheme version winmm ws2_32 wtsapi32)

execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
set(imports)
set(foreign)
foreach(line IN LISTS lines)
    string(REPLACE "DLL Name: " "" dll "${line}")
    string(TOLOWER "${dll}" name)
    string(REGEX REPLACE "\\.dll$" "" name "${name}")
    list(APPEND imports ${dll})
    # api-ms-win-* are Windows' own API sets.
    if(NOT name IN_LIST system_dlls AND NOT name MATCHES "^api-ms-win-")
        list(APPEND foreign ${dll})
    endif()
endforeach()
if(foreign)
    message(FATAL_ERROR "${PROGRAM} needs DLLs that Windows does not have: ${foreign}")
endif()
list(JOIN imports "\n" text)
file(WRITE ${OUTPUT} "${text}\n")
