# Each test of one build tree that ctest reports as failed, with ctest's verdict and the excerpt of
# its own output. Input: ctest's console output, then its LastTest.log; -v tree=PRESET; needs
# excerpt.awk.
FNR == NR {  # the console: "  12 - Suite.Name (Failed)"
  if (match($0, /^[ \t]*[0-9]+ - .* \(.*\)$/)) {
    line = $0
    sub(/^[ \t]*[0-9]+ - /, "", line)
    name = line; sub(/ \([^(]*\)$/, "", name)
    verdict[name] = substr(line, length(name) + 2)
  }
  next
}
/^[0-9]+\/[0-9]+ Test: / { test = $0; sub(/^[0-9]+\/[0-9]+ Test: /, "", test); count = 0; next }
/^Output:$/ { inOutput = 1; getline; next }
/^<end of output>$/ { inOutput = 0; next }
inOutput { lines[++count] = $0; next }
/^Test (Failed|Passed)/ && test in verdict {
  print "  " tree ": " test " " verdict[test]
  excerpt(lines, count)
  delete verdict[test]
}
END { for (t in verdict) print "  " tree ": " t " " verdict[t] " (no output logged)" }
