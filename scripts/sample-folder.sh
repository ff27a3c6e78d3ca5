# Sourced by sample.sh and window.sh: fills a work folder with the shipped
# sample files and a job file whose paths point into it.
#   prepare_sample_folder FOLDER
prepare_sample_folder() {
  local work="$1"
  rm -rf "$work"
  mkdir -p "$work"
  cp -R samples/data "$work/data"
  # Paths in a job file are absolute: the template's placeholder becomes the
  # work folder, written as XML text and quoted for sed.
  local xml_path sed_path
  xml_path=$(printf '%s' "$work" | sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g')
  sed_path=$(printf '%s' "$xml_path" | sed -e 's/[\\|&]/\\&/g')
  sed -e "s|@SAMPLE_DIR@|$sed_path|g" samples/Backup.Xml.in >"$work/Backup.Xml"
}
