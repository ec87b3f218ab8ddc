# excerpt(lines, count): prints the first lines of a failure among lines[1..count], from the first
# line that reports one (a test's assertion, a sanitizer, a compiler error, a crash), else the last
# lines. Used with -f before the program that fills lines.
function excerpt(lines, count,    first, i, n) {
  n = 8
  first = 0
  for (i = 1; i <= count && !first; i++)
    if (lines[i] ~ /(: Failure$|ERROR|Sanitizer|runtime error|error:|FAILED:|terminate called|Assertion|Segmentation|FUZZ_CHECK|SUMMARY)/) first = i
  if (!first) first = count > n ? count - n + 1 : 1
  for (i = first; i <= count && i < first + n; i++) print "      " lines[i]
}
