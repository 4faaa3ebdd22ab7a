# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
# Read by cpack once for each generator.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
