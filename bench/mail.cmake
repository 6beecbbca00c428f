# benchmark targets: mail
