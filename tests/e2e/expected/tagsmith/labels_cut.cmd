commands of an earlier run
