// Where the launcher's messages send the user: the support address and the web
// address of the installer package.
#ifndef TARNWICK_CONTACT_H
#define TARNWICK_CONTACT_H

#define CONTACT_ADDRESS "support@orvanne.example"
#define INSTALLER_URL "http://updates.orvanne.example/download/TarnwickSetup.exe"

#endif
