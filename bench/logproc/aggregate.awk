# The same aggregation as bench/logproc/definition.xml, in awk, for the
# speed comparison: per cs-username the record count, Bytes (sc-bytes +
# cs-bytes), Delivered (cs-method DATA with sc-status 250) and Spam
# (cs-uri-query contains "x-spam-flag:yes", any case). Prints the report
# file's rows (key, tab, "%f" values), rows in first-appearance order.
# Columns are separated by single spaces in these logs, so the default field
# splitting serves; the CR of CR LF stays on the last column, which is unused.
/^#/ {
  if (tolower(substr($0, 1, 9)) == "#fields: ") {
    delete col
    for (i = 2; i <= NF; i++) col[$i] = i - 1
    u = col["cs-username"]; sb = col["sc-bytes"]; cb = col["cs-bytes"]
    m = col["cs-method"]; s = col["sc-status"]; q = col["cs-uri-query"]
    mapped = 1
  }
  next
}
mapped && $u != "" {
  k = $u
  if (!(k in count)) order[++rows] = k
  count[k]++
  bytes[k] += $sb + $cb
  if ($m == "DATA" && $s == "250") delivered[k]++
  if (index(tolower($q), "x-spam-flag:yes")) spam[k]++
}
END {
  for (r = 1; r <= rows; r++) {
    k = order[r]
    printf "%s\t%f\t%f\t%f\t%f\n", k, count[k], bytes[k], delivered[k], spam[k]
  }
}
