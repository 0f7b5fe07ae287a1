sbxcmd mklabel L1 .

sbxcmd mklabel L2 .

sbxcmd mklabel L1 a

sbxcmd mklabel L2 a

