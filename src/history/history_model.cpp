// Version history model (being built).
