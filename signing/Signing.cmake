# Authenticode signatures on what ships: kelvane.exe, tiktor.exe and Setup's plug-in KelvaneSetup.dll
# as they are linked (kelvane_sign_binary), kelvane-setup.exe and the uninstaller it writes as makensis
# makes them (installer/). authenticode.py is the one place that says how; this file chooses the key.
#
# KELVANE_SIGNING chooses whose key, not the build type (every Windows preset builds Release):
#   test     (default) a throwaway authority of this build tree, made at the first configure in
#            signing/test-authority: never committed, never shared with another tree
#   release  the maker's key: KELVANE_SIGN_PKCS12 with KELVANE_SIGN_PASSWORD_FILE, or a token,
#            KELVANE_SIGN_PKCS11_MODULE with KELVANE_SIGN_PKCS11_KEY (a pkcs11: URI),
#            KELVANE_SIGN_CERTS and, for its PIN, KELVANE_SIGN_PASSWORD_FILE. Without one, configuring
#            fails: a release is never signed with a test key.
# KELVANE_SIGN_TIMESTAMP_URL names an RFC 3161 time-stamping server (none by default); a release
# needs one, or KELVANE_SIGN_WITHOUT_TIMESTAMP=ON for a trial. The signature carries the product's
# name, KELVANE_PRODUCT, and KELVANE_PRODUCT_URL.

set(KELVANE_SIGNING test CACHE STRING "Whose key signs the programs and the installer: test or release")
set_property(CACHE KELVANE_SIGNING PROPERTY STRINGS test release)
set(KELVANE_SIGN_PKCS12 "" CACHE FILEPATH "release: the maker's certificate and key, a PKCS#12 file")
set(KELVANE_SIGN_PASSWORD_FILE "" CACHE FILEPATH "release: the file holding the PKCS#12 password or the token's PIN")
set(KELVANE_SIGN_PKCS11_MODULE "" CACHE FILEPATH "release: the token's PKCS#11 module")
set(KELVANE_SIGN_PKCS11_KEY "" CACHE STRING "release: the signing key on the token, a pkcs11: URI")
set(KELVANE_SIGN_CERTS "" CACHE FILEPATH "release with a token: the maker's certificate and its chain, PEM")
set(KELVANE_SIGN_TIMESTAMP_URL "" CACHE STRING "An RFC 3161 time-stamping server; a release needs one")
option(KELVANE_SIGN_WITHOUT_TIMESTAMP "release: sign without a time stamp (a trial that does not ship)" OFF)

find_program(KELVANE_PYTHON python3 REQUIRED)
find_program(KELVANE_OSSLSIGNCODE osslsigncode REQUIRED)
set(KELVANE_AUTHENTICODE ${CMAKE_CURRENT_LIST_DIR}/authenticode.py)
set(KELVANE_SIGNING_DIR ${CMAKE_BINARY_DIR}/signing)
# What the signatures are made from: a new key or name changes it, and everything is signed again.
set(KELVANE_SIGNING_CONFIG ${KELVANE_SIGNING_DIR}/signing.json)

set(without_timestamp)
if(KELVANE_SIGN_WITHOUT_TIMESTAMP)
    set(without_timestamp --without-timestamp)
endif()
execute_process(COMMAND ${KELVANE_PYTHON} ${KELVANE_AUTHENTICODE} configure ${KELVANE_SIGNING_DIR}
                        "--maker=${KELVANE_COMPANY}" "--program-name=${KELVANE_PRODUCT}"
                        "--osslsigncode=${KELVANE_OSSLSIGNCODE}" "--signing=${KELVANE_SIGNING}"
                        "--url=${KELVANE_PRODUCT_URL}" "--timestamp-url=${KELVANE_SIGN_TIMESTAMP_URL}"
                        "--pkcs12=${KELVANE_SIGN_PKCS12}" "--password-file=${KELVANE_SIGN_PASSWORD_FILE}"
                        "--pkcs11-module=${KELVANE_SIGN_PKCS11_MODULE}" "--pkcs11-key=${KELVANE_SIGN_PKCS11_KEY}"
                        "--certs=${KELVANE_SIGN_CERTS}" ${without_timestamp}
                RESULT_VARIABLE refused ERROR_VARIABLE reason)
if(refused)
    string(STRIP "${reason}" reason)
    message(FATAL_ERROR "${reason}")
endif()
if(KELVANE_SIGNING STREQUAL "test")
    message(STATUS "Signing: test signatures, by this tree's throwaway authority (${KELVANE_SIGNING_DIR}/test-authority)")
elseif(KELVANE_SIGN_TIMESTAMP_URL)
    message(STATUS "Signing: release, with the maker's key, time-stamped by ${KELVANE_SIGN_TIMESTAMP_URL}")
else()
    # The waiver stays in the cache: a later release build must not take it for a shipping one.
    message(WARNING "Signing: release, with the maker's key but without a time stamp "
                    "(KELVANE_SIGN_WITHOUT_TIMESTAMP): a trial that must not ship, as its signatures stop being "
                    "valid when the certificate expires")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KELVANE_AUTHENTICODE})

# The command that signs a file in place, the file's path to follow.
set(KELVANE_SIGN_COMMAND ${KELVANE_PYTHON} ${KELVANE_AUTHENTICODE} sign ${KELVANE_SIGNING_CONFIG})

# kelvane_sign_binary(TARGET): the program or library is signed as it is linked, and linked again when
# the key changes.
function(kelvane_sign_binary target)
    add_custom_command(TARGET ${target} POST_BUILD COMMAND ${KELVANE_SIGN_COMMAND} $<TARGET_FILE:${target}> VERBATIM)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${KELVANE_SIGNING_CONFIG} ${KELVANE_AUTHENTICODE})
endfunction()

# The shipped files' signatures against this tree's authority, and the choice of key.
add_test(NAME authenticode_signatures COMMAND ${KELVANE_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/authenticode_test.py
                                              ${CMAKE_BINARY_DIR})
