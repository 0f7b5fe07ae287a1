sbxcmd mklabel RELEASE-R1.0 "my docs/x"

sbxcmd mklabel REL-a:b:c "my docs/x"

sbxcmd mklabel abc "my docs/x"

sbxcmd mklabel REL-a "my docs/x"

sbxcmd mklabel abd "my docs/x"

sbxcmd mklabel abe "my docs/x"

sbxcmd mklabel abf "my docs/x"

sbxcmd mklabel RELEASE-R1.0 src

sbxcmd mklabel REL-a:b:c src

sbxcmd mklabel abc src

sbxcmd mklabel REL-a src

sbxcmd mklabel abd src

sbxcmd mklabel abe src

sbxcmd mklabel abf src

