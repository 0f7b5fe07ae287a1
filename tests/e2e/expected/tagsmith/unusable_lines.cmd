sbxcmd mklabel L1 src

sbxcmd mklabel L1 src

