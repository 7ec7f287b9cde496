// Firefox ESR takes unsigned add-ons only with this preference off. Copied into
// /etc/firefox-esr/ it turns the signature check off for every add-on in every profile
// of every user of this machine, not only for Surfdeck: a decision for the machine's
// administrator alone. Release Firefox ignores it.
pref("xpinstall.signatures.required", false);
