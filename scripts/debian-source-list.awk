# Prints a one-line apt source entry "deb-src [signed-by=KEYRING] URI SUITE COMPONENTS" for every
# binary source of the Debian release CODENAME (suites CODENAME and CODENAME-*) in the apt source
# files given, deb822 (*.sources) and one-line (*.list) alike, so that source packages come from
# the very mirror and suites the machine's binary packages come from.
#   awk -v codename=bookworm -f debian-source-list.awk /etc/apt/sources.list ...
function ours(suite) {
    return suite == codename || index(suite, codename "-") == 1
}
function emit(uri, suite, components, keyring) {
    if (!ours(suite)) return
    line = "deb-src " (keyring != "" ? "[signed-by=" keyring "] " : "") uri " " suite " " components
    if (!(line in seen)) { seen[line] = 1; print line }
}
function flush(   u, s, nu, ns, us, ss) {
    if (types ~ /(^| )deb( |$)/ && tolower(enabled) != "no") {
        nu = split(uris, us, " ")
        ns = split(suites, ss, " ")
        for (u = 1; u <= nu; u++)
            for (s = 1; s <= ns; s++) emit(us[u], ss[s], components, keyring)
    }
    types = uris = suites = components = keyring = enabled = ""
}
FNR == 1 { flush(); deb822 = FILENAME ~ /\.sources$/ }
/^[[:space:]]*#/ { next }
deb822 && /^[[:space:]]*$/ { flush(); next }
# A continuation line (an inline key block); the key is then left to apt's own keyrings.
deb822 && /^[[:space:]]/ { next }
deb822 {
    field = tolower($1); sub(/:$/, "", field)
    $1 = ""; sub(/^[[:space:]]+/, ""); sub(/[[:space:]]+$/, "")
    if (field == "types") types = $0
    else if (field == "uris") uris = $0
    else if (field == "suites") suites = $0
    else if (field == "components") components = $0
    else if (field == "signed-by") keyring = $0
    else if (field == "enabled") enabled = $0
    next
}
$1 == "deb" {
    i = 2; keyring = ""
    if ($2 ~ /^\[/) {
        for (; i <= NF; i++) {
            if ($i ~ /^\[?signed-by=/) {
                keyring = $i
                sub(/^\[?signed-by=/, "", keyring)
                sub(/\]$/, "", keyring)
            }
            if ($i ~ /\]$/) break
        }
        i++
    }
    uri = $i; suite = $(i + 1); components = ""
    for (j = i + 2; j <= NF; j++) components = components (components == "" ? "" : " ") $j
    emit(uri, suite, components, keyring)
}
END { flush() }
