sbxcmd mklabel CVN-RELEASE-R1 .

sbxcmd mklabel CVN-RELEASE-R2 .

sbxcmd mklabel CVN-DRIVER-old01 .

sbxcmd mklabel CVN-RELEASE-R1 docs

sbxcmd mklabel CVN-RELEASE-R2 docs

sbxcmd mklabel CVN-DRIVER-old01 docs

sbxcmd mklabel CVN-RELEASE-R1 include

sbxcmd mklabel CVN-RELEASE-R2 include

sbxcmd mklabel CVN-DRIVER-old01 include

sbxcmd mklabel CVN-RELEASE-R1 src

sbxcmd mklabel CVN-RELEASE-R2 src

sbxcmd mklabel CVN-DRIVER-old01 src

