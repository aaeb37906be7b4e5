# The Debian package, built by CPack from the install rules (scripts/package
# configures a Release build and runs it). Included from the top level, after
# every install rule.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME handmotion)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The handmotion developers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "The handmotion developers <handmotion@users.noreply.github.com>"
    CACHE STRING "Maintainer of the Debian package")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links, with the versions dpkg-shlibdeps finds.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The webcam and video sources run the hand model in Chromium, and convert
# videos other than MJPEG and YUV4MPEG2 with ffmpeg; everything else works
# without them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "chromium, ffmpeg")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The synopsis is the project's description; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "handmotion turns poses that an operator shows with a hand in front of a body
tracker into rigid-body motions: screw, Bezier, rational B-spline
approximation and rational B-spline interpolation motions of dual
quaternions, drawn in a 3D view with coordinate frames and an end-effector
model. Key poses can be exported to a text file. Any webcam, or a video
filmed with a phone, serves as the hand tracker through a hand-landmark
model run on this machine in a headless Chromium; a built-in demonstration
operator and recorded body streams stand in for a camera.")

# What every Debian package has and a plain install has not: the copyright
# in Debian's format, a compressed changelog and a program without compiler
# notes, added while CPack stages.
set(HANDMOTION_DEBIAN_FILES ${CMAKE_BINARY_DIR}/debian-files)
configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${HANDMOTION_DEBIAN_FILES}/copyright @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${HANDMOTION_DEBIAN_FILES}/changelog @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/DebianStaging.cmake.in
    ${HANDMOTION_DEBIAN_FILES}/DebianStaging.cmake @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${HANDMOTION_DEBIAN_FILES}/DebianStaging.cmake)

include(CPack)
