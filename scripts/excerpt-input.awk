# The excerpt of the failure in the whole input (with excerpt.awk).
{ lines[NR] = $0 }
END { excerpt(lines, NR) }
