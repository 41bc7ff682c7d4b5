# cmake -DFILE=NAME -P checksum.cmake: writes NAME.sha256 in the form that
# "sha256sum -c" reads.
file(SHA256 "${FILE}" hash)
get_filename_component(name "${FILE}" NAME)
file(WRITE "${FILE}.sha256" "${hash}  ${name}\n")
