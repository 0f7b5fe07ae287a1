// Element import file writer (being built).
