// compare
