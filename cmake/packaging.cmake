# The Debian package (cpack -G DEB, run by scripts/package.sh) of the
# install() layout the modules declare: auralith_VERSION_ARCH.deb, version
# from project(... VERSION).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME auralith)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Halvorn Vovaruzoz")
set(CPACK_PACKAGE_CONTACT "Halvorn Vovaruzoz <packages@auralith.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audio re-mastering for the whole desktop")
set(CPACK_PACKAGE_INSTALL_DIRECTORY auralith)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_SET_DESTDIR OFF)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://auralith.example/")
# The text below the summary line; CPack indents it and marks the blank
# line as a paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Auralith re-masters all audio the computer plays, in real time. Its
companion daemon ulxd offers a virtual output device; the application makes
it the default output, runs everything played into it through its
processing chain, driven by device profiles for built-in speakers, desktop
speakers and headphones, and plays the result on the real device.

The package holds the tray application Auralith, ulxd with its systemd
user unit, the headless engine auralith-engine, the offline renderer
auralith-render and the profile server client auralith-profiles. It works
with PulseAudio and with PipeWire through pipewire-pulse.")
# The libraries from the programs themselves; the sound server they talk
# to; pactl, which the login starter asks for the virtual device; and the
# sound settings programs the preferences open.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "pulseaudio-utils, pulseaudio | pipewire-pulse")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pavucontrol | gnome-control-center | plasma-pa, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "systemd")

include(CPack)
