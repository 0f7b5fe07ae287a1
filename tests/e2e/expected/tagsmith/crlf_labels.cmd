sbxcmd mklabel CVN-RELEASE-R1.0 .

sbxcmd mklabel CVN-DRIVER-wa .

sbxcmd mklabel CVN-RELEASE-R1.0 src

sbxcmd mklabel CVN-DRIVER-wa src

sbxcmd mklabel CVN-RELEASE-R1.0 src/lib

sbxcmd mklabel CVN-DRIVER-wa src/lib

